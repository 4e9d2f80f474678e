#include "run/main_entry.h"

int main(int argc, char** argv) { return Main(argc, argv); }
