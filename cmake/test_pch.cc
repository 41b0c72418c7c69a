// The translation unit the tests' precompiled header is made for
// (TestExecutable.cmake); it holds nothing of its own.
