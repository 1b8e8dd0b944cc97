// The nc library's anchor: its sources come from this folder and its sub-folders.
