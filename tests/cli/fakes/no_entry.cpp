// A shared library that loads but exports no VST entry, under either name.

extern "C" __attribute__((visibility("default"))) int notAPluginEntry() {
    return 0;
}
