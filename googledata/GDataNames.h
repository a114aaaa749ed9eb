// The namespace names and value URIs of the calendar service's Atom
// documents. Constants only; any thread.
#pragma once

namespace googledata {

inline constexpr const char* kAtomNamespace = "http://www.w3.org/2005/Atom";
inline constexpr const char* kGDataNamespace = "http://schemas.google.com/g/2005";
inline constexpr const char* kGCalNamespace = "http://schemas.google.com/gCal/2005";

// Value URIs: the GData namespace followed by "#event.<name>".
inline constexpr const char* kEventCanceled = "http://schemas.google.com/g/2005#event.canceled";
inline constexpr const char* kEventConfirmed = "http://schemas.google.com/g/2005#event.confirmed";
inline constexpr const char* kEventTentative = "http://schemas.google.com/g/2005#event.tentative";
inline constexpr const char* kEventOpaque = "http://schemas.google.com/g/2005#event.opaque";
inline constexpr const char* kEventTransparent =
    "http://schemas.google.com/g/2005#event.transparent";
inline constexpr const char* kEventConfidential =
    "http://schemas.google.com/g/2005#event.confidential";
inline constexpr const char* kEventDefault = "http://schemas.google.com/g/2005#event.default";
inline constexpr const char* kEventPrivate = "http://schemas.google.com/g/2005#event.private";
inline constexpr const char* kEventPublic = "http://schemas.google.com/g/2005#event.public";

}  // namespace googledata
