Option Explicit
dim a, B_1 : DIM c
Rem note here
' comment "with" quotes
s = "abc" & "say ""hi""" & """x"
t = "open string
d = #1/2/2003# + #open
n = 12.5E3 + 3e 1.2.3
If a <= b Or a <> b And a >= b Then x = a < b
y = (1 * 2) ^ 3 - 4 / 5 , {6} ; z.w
q = !$%?@[\]|~ `
Привет = Чай_1
	tabbed  line   

ByVal byval BYVAL EndIf Nothing nothingness _x
