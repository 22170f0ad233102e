#include "lists/handling.h"

FileHandling Handling;
