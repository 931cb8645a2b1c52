// What writes the triangle store, shared by the serial and the parallel load.
#pragma once

#include "model/model.h"

// Stores the holding values into a vertex: all five in mode 1 (`textured`),
// the position alone in mode 0.
inline void StoreVertex(ModelVertex* vertex, const float* hold, bool textured) {
    vertex->x = hold[0];
    vertex->y = hold[1];
    vertex->z = hold[2];
    if (textured) {
        vertex->u = hold[3];
        vertex->v = hold[4];
    }
}
