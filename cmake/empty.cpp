// The shared libraries are assembled from static libraries; this file gives CMake a source.
