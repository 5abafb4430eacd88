// The cases of the in-process benchmarks, one function per area of the
// library; each registers its cases with registerCase (floor_reporter.h).
#pragma once

namespace bench {

void registerConfigCases();
void registerRegistryCases();
void registerDebugLogCases();
void registerProviderOrderCases();
void registerNumberEncodingCases();

} // namespace bench
