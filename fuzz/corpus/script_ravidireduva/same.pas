var f, s, i: Integer; t: String;

function Fact(n: Integer): Integer;
begin
  if n <= 1 then Result := 1 else Result := n * Fact(n - 1);
end;

procedure Twice(var x: Integer);
begin
  x := x * 2;
end;

begin
  f := Fact(6);
  s := 0;
  for i := 1 to 10 do s := s + i;
  Twice(s);
  t := '';
  i := 0;
  while i < 3 do
  begin
    t := t + 'x';
    i := i + 1;
  end;
end.
