#pragma once

#include "TestPlant.h"
#include "intake/JobState.h"

// A temporary plant with the state of the job being read, for the importers.
class JobPlant : public TestPlant {
public:
    JobState job;
};
