{ Uses most of the function library and prints what it computes. }
var
  total: Extended;
  i, n: Integer;
  y, m, d: Word;
  s, t: String;
  names: TStringList;
  counter: int;

function Describe(x: Extended): String;
begin
  if x < 0 then
    Result := 'минус ' + FormatFloat(',0.00', Abs(x))
  else
    Result := FormatFloat(',0.00', x);
end;

begin
  total := 0;
  for i := 1 to 4 do
    total := total + i * 1234.5;
  ShowMessage('Итого: ' + Describe(total));
  ShowMessage(Describe(-0.5));
  ShowMessage(FloatToStr(1 / 4) + ' ' + IntToStr(Round(2.5)) + ' ' + IntToStr(Round(3.5)) + ' ' + IntToStr(Trunc(-7.9)));
  ShowMessage(BoolToStr(True) + ' ' + BoolToStr(1 > 2));
  DecodeDate(EncodeDate(2024, 12, 25), y, m, d);
  ShowMessage(FormatDateTime('dddd, d mmmm yyyy', EncodeDate(y, m, d)) + ' ' + IntToStr(DayOfWeek(EncodeDate(y, m, d))));
  s := 'иВАНОВ иВАН';
  t := NameCase(s);
  Delete(t, 1, 1);
  Insert('И', t, 1);
  ShowMessage(t + ' ' + IntToStr(Length(t)) + ' ' + IntToStr(Pos('Иван', t)) + ' ' + Copy(t, 8, 4));
  ShowMessage(Uppercase(Trim('  готово  ')) + ' ' + Chr(Ord('A') + 2) + ' ' + IntToStr(CompareText('abc', 'ABC')));
  names := TStringList.Create;
  names.CommaText := 'pear,apple,fig';
  names.Sort;
  ShowMessage(names.CommaText + ' ' + IntToStr(names.Count));
  names.Free;
  counter := 0;
  Inc(counter, 5);
  Dec(counter);
  n := counter;
  ShowMessage('counter ' + IntToStr(n) + ' ' + BoolToStr(ValidInt('12')) + ' ' + BoolToStr(ValidFloat('x')));
  ShowMessage(Format('%s: %d шт., %.2f руб. (%5.1n)', ['Позиций', n, total, 9876.54]));
  try
    StrToInt('12x');
  except
    ShowMessage('error: ' + ExceptionMessage);
  end;
end.
