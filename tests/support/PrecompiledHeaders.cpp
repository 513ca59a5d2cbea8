// The translation unit that builds the test programs' precompiled headers (GoogleTest and
// the standard headers most tests use); see tests/CMakeLists.txt.
