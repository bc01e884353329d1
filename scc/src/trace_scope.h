// The trace scope every provider operation opens.
#pragma once

#include "nrwapis_tracer.h"

namespace nrwscc {

// Every traced operation opens its scope with the same first two names.
struct Scope : NRWAPIS_Tracer {
    explicit Scope(const char* operation)
        : NRWAPIS_Tracer("NRWScc_Impl", "NRWScc_Impl", operation) {}

    // A line that is the text itself: a percent sign in a path is no directive.
    void writeText(const char* text) { writeTrace("%s", text); }
};

}  // namespace nrwscc
