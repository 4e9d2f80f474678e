#pragma once
// The whole program: start-up, the request loop, and always 0 as the exit status.
int Main(int argc, char** argv);
