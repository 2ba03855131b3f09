// Test support: where scratch folders go. Tests need a real disk file system
// (one that takes unbuffered I/O), and the tests that act as another user
// need a place that user can reach, whatever folder the checkout lies in.
#pragma once

#include <string>

namespace korvel::test {

// The user that tests turn into when they check access rights.
inline constexpr unsigned kOtherUser = 65534;
inline constexpr unsigned kOtherGroup = 65534;

struct ScratchPlace {
    std::string root;        // folder in which scratch folders are made
    bool otherUserCanReach;  // kOtherUser may pass through every folder above
    std::string whyNot;      // when !otherUserCanReach: what every candidate lacked
};

// Chosen once per process from $TMPDIR, /var/tmp, /tmp and the build tree,
// in that order: the first that takes unbuffered I/O and, when the tests can
// change identity at all, lets kOtherUser through. Fails the calling test
// when no candidate takes unbuffered I/O.
const ScratchPlace& ChosenScratchPlace();

// True when the process may act as another user (it runs as root).
bool CanChangeIdentity();

// Empty when tests may act as kOtherUser on scratch folders; otherwise why
// not, for the skip message.
std::string WhyTestsCannotActAsAnotherUser();

}  // namespace korvel::test
