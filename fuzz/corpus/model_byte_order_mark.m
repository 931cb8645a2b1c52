# saved with a byte-order mark
UcgenSayisi >> 1
KaplamaKullanimi >> 1
Vertex 1 2 3 >> TKoord 0 1
Vertex 4 5 6 >> TKoord 1 0
Vertex 7 8 9 >> TKoord 1 1
