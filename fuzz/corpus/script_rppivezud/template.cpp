int Total, Count;
String Title;
Variant Rates[4];

bool AddValue(float &Sum, float Value)
{
  if (Value >= 0) { Sum += Value; return true; }
  else Sum = 0;
  return false;
}

void MasterData1OnBeforePrint(TfrxComponent Sender)
{
  float S = 0;
  int I = 1;
  if (<Bill."PercBill_type"> > 0)
    Memo1.Text = "Процент: " + FormatFloat("0.00", <Bill."PercBill_type">);
  else if (<Bill."Sum"> <= 0) { Memo1.Visible = false; Memo1.Color = 0x00FF00; }
  while ((I <= 3) && !(Rates[I] == 0))
  {
    if (!AddValue(S, Rates[I])) break;
    I++;
  }
  Total += Round(S);
}

void ReportTitle1OnBeforePrint(TfrxComponent Sender)
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
  for (int k = 0; k < 3; k++) Total = Total + k;
}

{
  Total = 0;
  Rates[1] = 1.5;
}
