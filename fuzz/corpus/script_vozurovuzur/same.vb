dim f, s, i, t

function Fact(n)
  if n <= 1 then
    return 1
  else
    return n * Fact(n - 1)
  end if
end function

sub Twice(byref x)
  x = x * 2
end sub

f = Fact(6)
s = 0 : i = 0
for i = 1 to _
    10
  s = s + i
next
Twice(s)
t = ""
i = 0
while i < 3
  t = t & "x"
  i = i + 1
wend
