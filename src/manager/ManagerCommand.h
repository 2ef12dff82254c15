#pragma once

// serverquirnel-manager serve | list | start TITLE | stop TITLE | restart TITLE
// Exit codes: 0 done, 1 no server registered under the title (or it did not
// answer), 2 no server manager running (or no session bus), 64 usage error.
int runManager(int argc, char** argv);
