UcgenSayisi >> 3
KaplamaKullanimi >> 0
Vertex 0x1p-3 -inf nan
Vertex 1,5 2 3
