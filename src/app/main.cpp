#include "app/ProgramEntry.h"
#include "platform/DetachedThreads.h"

int main(int argc, char* argv[])
{
    // An install left waiting on a file system that stopped answering gets a moment to put
    // back what it wrote, and is not waited for beyond that.
    return DetachedThreads::Finish(RunPulsmir(argc, argv), 1000);
}
