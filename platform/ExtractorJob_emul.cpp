// Without job objects: the extractor front end ends itself when the
// installer dies (tools/launcher), and QProcess::kill ends the extractor,
// which replaced the front end with the real 7-Zip (execv).
#include "ExtractorJob.h"

namespace Platform {

ExtractorJob::ExtractorJob() = default;

ExtractorJob::~ExtractorJob() = default;

void ExtractorJob::prepare(QProcess &) { }

bool ExtractorJob::adopt(QProcess &)
{
    return false;
}

bool ExtractorJob::terminateAndWait(int)
{
    return true;
}

} // namespace Platform
