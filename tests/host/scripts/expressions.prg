* Object properties: obj.Prop in expressions, obj.Prop = value for a
* property the object has, ADDPROPERTY for a new one.
o = CREATEOBJECT('Custom')
n = 1
l = .T.
? o.Class
o.Caption = 'x'
? ADDPROPERTY(o, 'Caption', 'first')
o.Caption = o.Caption + ' second'
? o.caption
? TYPE('o.Caption')
? ADDPROPERTY(o, 'Inner', o)
? o.Inner.Caption
? ADDPROPERTY(o, 'Flag')
? o.Flag
? o.Missing
? n.Prop
n.Prop = 1
? nothing.Prop
* Dotted words after a name still read as operators and logicals.
? l.AND.l
? o.Class = 'Custom'.AND..T.
o.Inner = 0
* Powers and exponents, in FoxPro's order: ^ and ** before * and /, from
* left to right, a sign with its operand; a power has at least 2 decimals.
? 10^3
? 2**8
? 2^3^2
? -2^2
? 2^-1
? 2 + 3 * 2^2
? 2 * 3 ** 2 / 6
? 1E300
? 2.5e-3
? 1.5E+2
? 4^0.5 = 2
? 1E3 + 1
* Too large, or no real root: numeric overflow.
? 10^400
? 1E400
? (-8)^(1/3)
? 'a'^2
? 2^
