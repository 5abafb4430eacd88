// Stand-in for the product's sibling library ZepProj.dll, which sets up the
// product's write-monitor paths. It records its load and each call, and
// answers with RADOZAVU_ZEPPROJ_RESULT (1 when unset).
#include "standin.h"

namespace {
struct LoadRecord {
    LoadRecord() { standin::record("load ZepProj.dll"); }
} loadRecord;
} // namespace

STANDIN_EXPORT int STANDIN_CALL HKPopulateWriteMonitorPaths() {
    standin::record("HKPopulateWriteMonitorPaths");
    return standin::result("RADOZAVU_ZEPPROJ_RESULT", 1);
}
