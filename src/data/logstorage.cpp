// The one easylogging++ storage of the process; every library and test that
// links the core logs through it.
#include <easylogging++.h>

INITIALIZE_EASYLOGGINGPP
