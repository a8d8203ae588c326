#include "analysis/duration_sum.h"

#include "analysis/display_time_rule.h"
#include "analysis/metadata_query.h"

namespace {

void AddMilliseconds(INT& total, UINT32 milliseconds) {
    total = static_cast<INT>(static_cast<UINT32>(total) + milliseconds);
}

}  // namespace

void AddFrameDuration(IWICMetadataQueryReader* frameReader, bool isWebP, bool ieTiming, INT& total,
                      bool& hasShortDelays) {
    UINT32 value = 0;
    if (isWebP) {
        if (QueryMetadata(frameReader, TEXT("/ANMF/FrameDuration"), VT_UI4, &value) ==
            QueryResult::Found) {
            AddMilliseconds(total, value);  // no display-time rule for WebP
        }
        return;
    }
    if (QueryMetadata(frameReader, TEXT("/grctlext/Delay"), VT_UI2, &value) == QueryResult::Found) {
        if (IsShortGifDelay(value)) hasShortDelays = true;
        AddMilliseconds(total, FrameDisplayTime(value * 10, ieTiming));
    }
}
