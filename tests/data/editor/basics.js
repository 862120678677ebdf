var a = 0x1F + 1x2 + 1..2 + 1.5;
if (If) { return Date + date; }
onClick = onclick; Math.PI
s = "a\"b" + 'c\'d' + "" + '''x' + """y"
/* one line */ x /= 2 // tail
/* open
middle line

end */ after
a && b || c &= d |= e ++ f += g -- h -= i -> j %= k *= l % m * n
x... y. z .. w
# $ @ \ ^ ` Привет
! ( ) , : ; < = > ? [ ] { } ~
0xfg 0XAB 09af 0x 0.5.6 1e5
/*/ still comment */
/**/x
"unterminated \"
