#pragma once

class CPageFactory;

// Every page class of the program, registered for its page id.
CPageFactory registeredPages();
