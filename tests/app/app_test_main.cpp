// The app tests' one global fixture: WindowState as the program starts.
#include "app_test.h"

// Copied during static initialisation, before any test has touched it.
const WindowStateRecord initialWindowState = WindowState;
