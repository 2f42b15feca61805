// The process entry of the program and the spine of a run: prepares the
// process, runs the stages in order, stops at the first that fails, and
// turns the outcome into the exit code.
#pragma once

// Exit codes.
enum RunResult : int {
    RunSucceeded = 0,
    RunFrameworkFailed = 1,
    RunTargetNotFound = 2,
    RunFoldersNotCreated = 3,
    RunDriverCopyFailed = 4,
};

int DravolinMain();
