var
  Total, Count: Integer;
  Title: String;
  Rates: array[1..3] of Double;

{ Sums a band's values; a negative value resets the sum. }
function AddValue(var Sum: Extended; Value: Extended): Boolean;
begin
  Result := Value >= 0;
  if Result then
    Sum := Sum + Value
  else
    Sum := 0;
end;

procedure MasterData1OnBeforePrint(Sender: TfrxComponent);
var
  S: Extended;
  I: Integer;
begin
  with Memo1, Memo1.Font do
  begin
    if <Bill."PercBill_type"> > 0 then
      Text := 'Процент: ' + FormatFloat('0.00', <Bill."PercBill_type">)
    else if <Bill."Sum"> <= 0 then
    begin
      Visible := False;
      Color := $00FF00
    end;
  end;
  S := 0;
  I := 1;
  while (I <= 3) and not (Rates[I] = 0) do
  begin
    if not AddValue(S, Rates[I]) then Break;
    I := I + 1;
  end;
  Total := Total + Round(S);
end;

procedure ReportTitle1OnBeforePrint(Sender: TfrxComponent);
begin
  try
    Title := <CUST."name"> + #13#10 + 'It''s done';  // the header line
    Count := Count div 2 mod 7
  except
    Title := '?';
  end;
  case Count of
    0: Title := '';
    1..5, 9: Title := Title + '!';
  else
    Count := -1;
  end;
end;

begin
  Total := 0;
  Rates[1] := 1.5; Rates[2] := 2e1; Rates[3] := 0;
  for Count := 3 downto 1 do
    Total := Total + Count;
end.
