// The scripted tour of the host, for the demo.
#pragma once

#include <string>

// The helper writes its log where NRWH_LOG_DIR points; the trace goes where
// CRVN_NRWAPIS_TRACE_DIR points.
int run_demo(const std::string& install_folder, const std::string& project);
