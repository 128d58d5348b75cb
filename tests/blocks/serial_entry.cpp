// Runs the serial entry of the block-partitioned lister, which
// blocks-pthread carries but never calls, so that scripts/bench-stride can
// time it beside the threaded one.
#include "linux.h"

int main()
{
    return linuxSerialMain();
}
