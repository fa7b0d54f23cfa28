// Empty on purpose: the layering check links one domain library whole into a
// shared object, and a shared library needs at least one source of its own.
