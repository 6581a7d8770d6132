Dim Total, Count
Dim Title As String
Dim Rates[4]

Function AddValue(ByRef Sum, ByVal Value As Double) As Boolean
  If Value >= 0 Then
    Sum = Sum + Value
    Return True
  Else
    Sum = 0
  End If
  Return False
End Function

Sub MasterData1OnBeforePrint(Sender)
  Dim S, I
  With Memo1
    If <Bill."PercBill_type"> > 0 Then
      Text = "Процент: " & FormatFloat("0.00", <Bill."PercBill_type">)
    ElseIf <Bill."Sum"> <= 0 Then
      Visible = False : Color = 0x00FF00
    End If
  End With
  S = 0 : I = 1
  While (I <= 3) And Not (Rates[I] = 0)
    If Not AddValue(S, Rates[I]) Then Break
    I += 1
  Wend
  Total = Total + _
    Round(S)
End Sub

Sub ReportTitle1OnBeforePrint(Sender)
  Try
    Title = <CUST."name"> & "It's done" rem the header line
    Count = Count \ 2 Mod 7
  Catch
    Title = "?"
  End Try
  Select Case Count
  Case 0: Title = ""
  Case 1, 9:
    Title = Title & "!"
  Case Else:
    Count = -1
  End Select
  For K = 3 To 1 Step -1
    Total = Total + K
  Next
End Sub

Total = 0
