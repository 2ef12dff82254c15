#pragma once

class QLockFile;

// Takes a lock file that a process holds for its whole life, without
// waiting. A lock whose process is gone is taken over; so is a lock file
// that names no process and has not been written for a while: its process
// was killed between creating the file and writing its id into it, and
// would otherwise shut every later start out for good. False when another
// live process holds it, or the file cannot be made (see lock.error()).
bool takeProcessLock(QLockFile& lock);
