// The journal of a registry switch: one note per listed item that a switch
// has not finished, under the program's key (names of items only, never
// their contents). It tells a switch that was cut off (a kill, a crash, a
// failed store) which items it had moved, so that whoever runs next neither
// moves an item twice nor takes one mode's contents for the other's.
#pragma once
#include <windows.h>

#include "env/trace_db.h"

// What the note of an item says. Switch m (1 enters privacy mode, 2 leaves
// it) leaves one mode and arrives in the other.
enum ItemNote : DWORD {
    kItemDone = 0,  // no note: the item holds what the last finished step gave it
    // kItemUnmoved + m: switch m has not touched the item; it still holds
    // the contents of the mode that switch m leaves.
    kItemUnmoved = 0,
    // kItemMovedOut + m: switch m has made its leaving contents safe (in the
    // leaving staging key or the database) but not yet given the item its
    // arriving ones; what the item holds now belongs to no mode.
    kItemMovedOut = 16,
};

// The note of an item (kItemDone when there is none or it cannot be read).
DWORD ReadItemNote(const AppRegEntry *entry);
// Sets or (kItemDone) drops the note of an item; the registry's result.
LONG WriteItemNote(const AppRegEntry *entry, DWORD note);

// The items a switch in this mode would move (those of installed
// applications).
bool IsSwitchedItem(const AppRegEntry *entry);

// Before switch m moves anything: every item it would move and that has no
// note yet gets kItemUnmoved + m. ERROR_SUCCESS or the first failure.
LONG NoteItemsToMove(int mode);
