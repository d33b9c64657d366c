#include "TestSeams.h"

TestSeams &TestSeams::current()
{
    static TestSeams seams;
    return seams;
}
