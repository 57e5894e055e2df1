// SPDX-License-Identifier: MIT
#pragma once

// Runs as root; never trust its input. What the capture tool does to its own process before
// it touches the network: nothing it inherited from whoever started it (descriptors, the
// environment, signal dispositions, the system's dump setting) may steer a root process or
// expose the capture socket. Each step prints one line and exits with status 1 when it
// cannot be taken.

// Nobody may read our memory, trace us or get a core dump of us: we hold root, and later a
// capture socket that sees every frame. Said outright rather than left to the kernel's
// set-user-ID default, and said again after the drop, since changing ids resets it to the
// system's suid_dumpable setting.
void forbidInspection();

// Changing ids makes a process dumpable again when the system's fs.suid_dumpable is 1. In the
// moment between dropping root and forbidding it again the starting user could then trace
// the tool and take its capture socket, so on such a system only root may capture, and so
// may only root where the setting cannot be read.
void refuseDumpableDrops();

// With standard output closed the capture socket could take descriptor 1, and records would
// be written onto the network. The C library already fills missing standard descriptors of
// a set-user-ID start; this covers a start by root itself, pointing them at /dev/null.
void ensureStandardDescriptors();

// The caller's environment is input too: nothing a root process opens on its behalf (libpcap
// can reach D-Bus, whose addresses come from the environment) may be steered by it.
void forgetEnvironment();

// The reader closing the pipe is how the tool is told to stop: SIGPIPE ends it with status 0,
// whatever disposition or mask the starter left.
void endOnClosedOutput();
