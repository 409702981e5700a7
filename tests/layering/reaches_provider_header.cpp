// Compiled with each layer's include path by the layering checks: it names a header of the
// embedded provider, which only the provider itself (and the composition) may include.
#include "rowset/rowset.h"

int main() {
    return 0;
}
