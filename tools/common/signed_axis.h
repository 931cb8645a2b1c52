// A signed axis, as the importer reports a file's up and front axes and as
// convert's placement turns a mesh: 1, 2, 3 for +x, +y, +z; -1, -2, -3 for
// the negative directions; 0 for none.
#pragma once

typedef int SignedAxis;
