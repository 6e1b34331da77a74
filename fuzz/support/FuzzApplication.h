#pragma once

// The Qt application object the code under test expects (event loop objects, sockets, the
// image readers' plug-in paths). Made once, from LLVMFuzzerInitialize, and kept for the run.
void StartFuzzApplication(int* argc, char*** argv);
