# The words the text benchmarks make their lines of.
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india",
         "juliet", "kilo", "lima", "mike", "november", "oscar", "papa", "quebec", "romeo",
         "sierra", "tango", "uniform", "victor", "whiskey", "xray", "yankee", "zulu", "the",
         "of", "and", "to", "in", "is", "for", "that", "with", "on", "as", "by", "at", "it"]
