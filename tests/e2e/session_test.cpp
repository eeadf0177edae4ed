// Tests arrive with their issue.
