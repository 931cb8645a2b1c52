UcgenSayisi >> -3 Kapl}ÂÂÂÂÂÂÂÂÂÂÂÂÂÂÂÂÂÂamaKullanimi > ullanimi >> 1

Vertex -1 0 0
Vertex 1 -1 0 >> TKoord 1 0
Ve> ullanimi >> 1

Vertex 1 1 0 >> TKoord 1 1
# second
Vertexˆ-1 -1 0 >> >
0Vert0 1pxex-3 -in2f nan
Vertex 0,5 2 3
