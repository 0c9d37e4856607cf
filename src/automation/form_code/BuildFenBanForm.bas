Attribute VB_Name = "BuildFenBanForm"
' Builds the division form frmFenBan in this workbook: the list box, the four
' option boxes, the four balance boxes, the balance columns, the list's total
' column, header row and totals from the subjects, and the five buttons, with the form's
' code read from frmFenBan.code.txt beside the workbook. Run BuildForm once
' (Alt+F8), then ShowForm. Needs "Trust access to the VBA project object
' model" (Trust Center, Macro Settings) while it runs.
Option Explicit

Public Sub BuildForm()
    Dim project As Object, component As Object, designer As Object
    Set project = ThisWorkbook.VBProject
    On Error Resume Next
    project.VBComponents.Remove project.VBComponents("frmFenBan")
    On Error GoTo 0
    Set component = project.VBComponents.Add(3)   ' a user form
    component.Name = "frmFenBan"
    component.Properties("Caption") = U("5206 73ED")
    component.Properties("Width") = 330
    component.Properties("Height") = 414
    Set designer = component.Designer

    AddControl designer, "Forms.ListBox.1", "ltbBiao", "", 6, 6, 150, 364
    AddLabel designer, U("73ED 7EA7 6570"), 165, 8
    AddControl designer, "Forms.TextBox.1", "txtFenBan", "", 230, 6, 80, 18
    AddLabel designer, U("4F18 79C0 4EBA 6570"), 165, 32
    AddControl designer, "Forms.TextBox.1", "txtYouXiu", "", 230, 30, 80, 18
    AddLabel designer, U("53CA 683C 4EBA 6570"), 165, 56
    AddControl designer, "Forms.TextBox.1", "txtJiGe", "", 230, 54, 80, 18
    AddLabel designer, U("524D 004E 540D"), 165, 80
    AddControl designer, "Forms.TextBox.1", "txtNMing", "", 230, 78, 80, 18
    AddControl designer, "Forms.CheckBox.1", "chbXingBie", U("6309 6027 522B 5747 8861"), 165, 104, 140, 18
    AddControl designer, "Forms.CheckBox.1", "chbZuXiao", U("6309 4F4F 6821 5747 8861"), 165, 124, 140, 18
    AddControl designer, "Forms.CheckBox.1", "chbYingJie", U("6309 5E94 5C4A 5747 8861"), 165, 144, 140, 18
    AddControl designer, "Forms.CheckBox.1", "chbYouHua", U("4F18 5316 5747 8861"), 165, 164, 140, 18
    AddLabel designer, U("5747 8861 5217"), 165, 190, 34
    AddControl designer, "Forms.TextBox.1", "txtJunHeng", "", 200, 188, 110, 18
    AddLabel designer, U("603B 5206 5217"), 165, 214, 34
    AddControl designer, "Forms.TextBox.1", "txtZongFenLie", "", 200, 212, 110, 18
    AddLabel designer, U("8868 5934 884C"), 165, 238, 34
    AddControl designer, "Forms.TextBox.1", "txtBiaoTouHang", "", 200, 236, 110, 18
    AddControl designer, "Forms.CheckBox.1", "chbSuanZongFen", U("7528 5404 79D1 6210 7EE9 7B97 603B 5206"), 165, 260, 145, 18
    AddControl designer, "Forms.CommandButton.1", "cmdFenBan", U("5206 73ED"), 165, 284, 70, 24
    AddControl designer, "Forms.CommandButton.1", "cmdTiaoBan", U("7EDF 8BA1"), 240, 284, 70, 24
    AddControl designer, "Forms.CommandButton.1", "cmdDel", U("5220 9664"), 165, 314, 70, 24
    AddControl designer, "Forms.CommandButton.1", "cmdDengJi", U("767B 8BB0"), 240, 314, 70, 24
    AddControl designer, "Forms.CommandButton.1", "cmdHelp", U("5E2E 52A9"), 165, 344, 145, 24

    component.CodeModule.AddFromFile ThisWorkbook.Path & "\frmFenBan.code.txt"
End Sub

' Texts from their code points, so the module reads the same under every code page.
Private Function U(codes As String) As String
    Dim code As Variant
    For Each code In Split(codes, " ")
        U = U & ChrW(CLng("&H" & code))
    Next
End Function

Public Sub ShowForm()
    Dim form As Object
    Set form = VBA.UserForms.Add("frmFenBan")
    form.Show vbModeless
End Sub

Private Sub AddControl(designer As Object, progId As String, name As String, caption As String, _
                       left As Single, top As Single, width As Single, height As Single)
    Dim control As Object
    Set control = designer.Controls.Add(progId, name, True)
    If caption <> "" Then control.Caption = caption
    control.Left = left
    control.Top = top
    control.Width = width
    control.Height = height
End Sub

Private Sub AddLabel(designer As Object, caption As String, left As Single, top As Single, _
                     Optional width As Single = 60)
    Dim label As Object
    Set label = designer.Controls.Add("Forms.Label.1")
    label.Caption = caption
    label.Left = left
    label.Top = top
    label.Width = width
    label.Height = 16
End Sub
