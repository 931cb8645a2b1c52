# textured quad
UcgenSayisi >> 2
KaplamaKullanimi >> 1

Vertex -1 -1 0 >> TKoord 0 0
Vertex 1 -1 0 >> TKoord 1 0
Vertex 1 1 0 >> TKoord 1 1
# second
Vertex -1 -1 0 >> TKoord 0 0
Vertex 1 1 0 >> TKoord 1 1
Vertex -1 1 0 >> TKoord 0 1
