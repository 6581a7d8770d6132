-- One package per bill of the period. Columns bill_* are the parameters of the bill
-- template, act_* those of the act (no act document when act_id1 is null). The templates
-- read everything else themselves; the values here land unescaped in the package file's
-- attributes, so customer names (quotes, "&") stay out.
-- The period comes as texts such as 2014-1-31 (no leading zeros): normalise them first.
with period(t1, t2) as (select :dt1, :dt2),
bounds(d1, d2) as (
    select printf('%04d-%02d-%02d', substr(t1, 1, 4),
                  substr(t1, 6, instr(substr(t1, 6), '-') - 1),
                  substr(t1, 6 + instr(substr(t1, 6), '-'))),
           printf('%04d-%02d-%02d', substr(t2, 1, 4),
                  substr(t2, 6, instr(substr(t2, 6), '-') - 1),
                  substr(t2, 6 + instr(substr(t2, 6), '-')))
    from period
)
select b.id as bill_id1,
       b.number as bill_number,
       b.bill_date as bill_date,
       a.id as act_id1,
       a.number as act_number,
       b.id as act_bill
from bills b
left join acts a on a.bill_id = b.id
join bounds on b.bill_date between bounds.d1 and bounds.d2
order by b.id
