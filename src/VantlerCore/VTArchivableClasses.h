#pragma once

#pragma GCC visibility push(default)  // exported from libVantler
// Decoding makes objects through the unarchiver's class registry, which maps the class name an
// archive records ("VTAnimationInfo") to a factory of empty instances (decoding is two-step: make,
// then fill). A name that is not registered cannot be decoded, so every archivable model class of
// VantlerCore must be registered before a document is read. This is the one place that does it; a
// new archivable class is added here.

// Registers every archivable model class of VantlerCore with NSKeyedUnarchiver. The registration
// runs once per process; later calls return at once. Thread-safe: concurrent first calls wait for
// the one that registers.
void VTRegisterArchivableClasses();

#pragma GCC visibility pop
