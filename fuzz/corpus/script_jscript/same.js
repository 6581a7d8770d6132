var f, s, i, t;

function Fact(n) { if (n <= 1) return 1; else return n * Fact(n - 1); }

function Twice(&x) { x = x * 2; }

f = Fact(6);
s = 0;
for (i = 1; i <= 10; i++) s += i;
Twice(s);
t = "";
i = 0;
while (i < 3) { t = t + "x"; i++; }
