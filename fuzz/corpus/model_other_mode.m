UcgenSayisi>>1
KaplamaKullanimi >>	2
Vertex 1 2 3
