// CResourceException: a window class, GDI object or other system resource could not
// be had. Thrown by value where a constructor has no other way to fail; catch by
// const reference.
#pragma once

class CResourceException {};
