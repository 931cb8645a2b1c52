# polyview example model: a small house, textured with Wall.bmp.
# Header: triangle count, then texture mode (1: vertex lines carry u v).
UcgenSayisi >> 5
KaplamaKullanimi >> 1

# Front wall, two triangles
Vertex -1.0 -1.0 0.0 >> TKoord 0.0 0.0
Vertex  1.0 -1.0 0.0 >> TKoord 1.0 0.0
Vertex  1.0  0.6 0.0 >> TKoord 1.0 0.8
Vertex -1.0 -1.0 0.0 >> TKoord 0.0 0.0
Vertex  1.0  0.6 0.0 >> TKoord 1.0 0.8
Vertex -1.0  0.6 0.0 >> TKoord 0.0 0.8

# Roof
Vertex -1.25 0.6 0.0 >> TKoord 0.0 0.8
Vertex  1.25 0.6 0.0 >> TKoord 1.0 0.8
Vertex  0.0  1.6 -0.5 >> TKoord 0.5 1.0

# Chimney, leaning back into the scene
Vertex 0.55 1.0 -0.2 >> TKoord 0.7 0.9
Vertex 0.85 1.0 -0.2 >> TKoord 0.8 0.9
Vertex 0.85 1.5 -0.4 >> TKoord 0.8 1.0
Vertex 0.55 1.0 -0.2 >> TKoord 0.7 0.9
Vertex 0.85 1.5 -0.4 >> TKoord 0.8 1.0
Vertex 0.55 1.5 -0.4 >> TKoord 0.7 1.0
