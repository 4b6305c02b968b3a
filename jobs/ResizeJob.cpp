// The Resize job: passes of split, tile resampling and merge, then the final copy.
#include "jobs/TavmorJobs.h"

void TJobs::RunResize()
{
    // Filled in by the resize pipeline.
    Engine.Abort = true;
}
