int f, s, i; string t;

int Fact(int n)
{
  if (n <= 1) return 1; else return n * Fact(n - 1);
}

void Twice(int &x)
{
  x *= 2;
}

{
  f = Fact(6);
  s = 0;
  for (i = 1; i <= 10; i++) s += i;
  Twice(s);
  t = "";
  i = 0;
  while (i < 3) { t = t + "x"; i++; }
}
