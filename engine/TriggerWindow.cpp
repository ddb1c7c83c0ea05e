#include "TriggerWindow.h"

#include "NumberText.h"

namespace quorvel {

TriggerWindow CalcTriggerWindow(double distance, double velocityMin, double velocityMax, double sampleTimeMs)
{
    const double startMs = distance / velocityMax * 1000;
    const double endMs = distance / velocityMin * 1000;
    TriggerWindow w;
    w.start = FloorToInt32(startMs / sampleTimeMs);
    w.end = FloorToInt32(endMs / sampleTimeMs);
    w.startMs = startMs;
    w.endMs = endMs;
    return w;
}

}  // namespace quorvel
