#include "kc/driver.h"

int main(int argc, char** argv) { return kc::runCompiler(argc, argv); }
