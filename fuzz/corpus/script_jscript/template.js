var Total = 0, Count = 0, Title;
var Rates[4];

function AddValue(&Sum, Value)
{
  if (Value >= 0) { Sum += Value; return true; }
  else Sum = 0;
  return false;
}

function MasterData1OnBeforePrint(Sender)
{
  var S = 0, I = 1;
  with (Memo1)
  {
    if (<Bill."PercBill_type"> > 0)
      Text = "Процент: " + FormatFloat("0.00", <Bill."PercBill_type">);
    else if (<Bill."Sum"> <= 0) { Visible = false; Color = 0x00FF00; }
  }
  while ((I <= 3) && !(Rates[I] == 0))
  {
    if (!AddValue(S, Rates[I])) break;
    I++;
  }
  Total += Round(S);
}

function ReportTitle1OnBeforePrint(Sender)
{
  try
  {
    Title = <CUST."name"> + "\r\n" + "It's done"; // the header line
    Count = Count % 7;
  }
  except
  {
    Title = "?";
  }
  switch (Count)
  {
    case 0: Title = "";
    case 1, 9: Title = Title + "!";
    default: Count = -1;
  }
  for (var k = 0; k < 3; k++) Total = Total + k;
}

Total = 0;
