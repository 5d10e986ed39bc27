// libkitunrar.so: the archive interface of unrar/unrar.h as a library of its own. Everything is in
// the static library it is made of; this file only gives the library a source of its own.
#include "unrar/unrar.h"
