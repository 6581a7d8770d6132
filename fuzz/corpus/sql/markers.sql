select a::int, ':x' as s, "q""" -- :c
from t where b = :B1 and c = :_c /* :d */; insert into t values (:v, :v);
;
