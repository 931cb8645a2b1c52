UcgenSayisi >> 2
KaplamaKullanimi >> 0
Vertex 0 0 0
Vertex 1 0 0
Vertex 0 1 0
Vertex 0 0 1
Vertex 1 1 0
Vertex 1e0 .5 -2.
