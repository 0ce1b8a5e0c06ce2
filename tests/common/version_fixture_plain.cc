// A shared library without an embedded file version.
extern "C" __attribute__((visibility("default"))) int zer1_plain_fixture_answer() {
    return 7;
}
